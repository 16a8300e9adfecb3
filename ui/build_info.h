#pragma once

namespace kestrow {

/// The version of this build ("0.1.0"), taken from the project version.
const char* buildVersion();

} // namespace kestrow
