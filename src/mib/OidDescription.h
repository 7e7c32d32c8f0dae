#pragma once

#include <QString>

struct Oid;

namespace OidDescription {

// The definition of a node as the HTML shown in the browser's description pane: name,
// paths, type with its enumerations and ranges, access, module, last update and the
// description. Text that comes from the MIB is HTML-escaped, so it shows as written.
QString html(const Oid& oid);

} // namespace OidDescription
