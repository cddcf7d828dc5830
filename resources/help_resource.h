#pragma once

#include <QByteArray>

#include <cstdint>

namespace res {

// The bytes of the help resource of that id (type "HELP"); empty when the
// program holds none.
QByteArray HelpResource(uint32_t id);

} // namespace res
