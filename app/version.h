// Version data the program carries as its application metadata.
#pragma once

namespace orn::version {

constexpr const char* FileDescription = "MODBUS";
constexpr const char* FileVersion = "1.0.2.23";
constexpr const char* ProductVersion = "1.0.0.0";
constexpr const char* Language = "ru";   // Russian texts

} // namespace orn::version
