// The first and last steps of an exporter that writes through a C library's
// stdio stream (libjpeg, libpng): the host's rows, the output file, a stream
// onto it, and at the end the stream and the file closed with the last
// progress report between them.
#pragma once

#include "plugins/common/plugin_support.h"

#include <cstdio>
#include <optional>

namespace qrplugin {

class ExportStream {
public:
    explicit ExportStream(const ExportArgs& args);
    // The stream, then the file, go on every way out.
    ~ExportStream();
    ExportStream(const ExportStream&) = delete;
    ExportStream& operator=(const ExportStream&) = delete;

    // False when the rows cannot be read or the file or its stream cannot be opened.
    bool Ok() const { return m_stream != nullptr; }
    SourceRows& Rows() { return m_rows; }
    FILE* Stream() const { return m_stream; }
    // Once the library wrote its last bytes: QR_PLUGIN_OK when the stream and
    // the file took everything, else QR_PLUGIN_FAILED.
    uint16_t Finish();

private:
    const ExportArgs& m_args;
    SourceRows m_rows;
    std::optional<OutputFile> m_out; // opened only for rows that can be read
    FILE* m_stream = nullptr;
};

} // namespace qrplugin
