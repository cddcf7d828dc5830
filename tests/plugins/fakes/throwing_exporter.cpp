// An exporter whose work runs out of memory: the entry point turns that into
// a failure code instead of letting the exception into the host.
#include "plugins/common/plugin_support.h"

#include <new>

namespace {

uint16_t Export(const qrplugin::ExportArgs&) { throw std::bad_alloc(); }

} // namespace

QR_EXPORTER_ENTRY_POINTS("Throwing", Export, "TIF")
