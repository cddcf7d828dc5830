#include "plugins/common/export_stream.h"

#include <unistd.h>

namespace qrplugin {

ExportStream::ExportStream(const ExportArgs& args)
    : m_args(args),
      m_rows(args.pixelType, args.pixels, args.fileFd, args.orientation, args.palette, args.width, args.height,
             args.stride)
{
    if (!m_rows.Valid())
        return;
    m_out.emplace(args.path);
    if (!m_out->Ok())
        return;
    // The stream has a descriptor of its own, so that closing it leaves the
    // file's open for its own close and the failure that may report.
    const int fd = ::dup(m_out->Fd());
    if (fd < 0)
        return;
    m_stream = ::fdopen(fd, "wb");
    if (!m_stream)
        ::close(fd);
}

ExportStream::~ExportStream()
{
    if (m_stream)
        std::fclose(m_stream);
}

uint16_t ExportStream::Finish()
{
    FILE* stream = m_stream;
    m_stream = nullptr;
    // fclose writes what the stream still held: a full disk shows here.
    if (!stream || std::fclose(stream) != 0)
        return QR_PLUGIN_FAILED;
    ShouldStop(m_args.progress, m_args.height, m_args.height, 0);
    return m_out->Close() ? QR_PLUGIN_OK : QR_PLUGIN_FAILED;
}

} // namespace qrplugin
