#pragma once
// Failures are values: platform calls give a Windows error code (0 on success).
// The POSIX layer maps errno onto the same codes so the code above it behaves alike.
#include <cstdint>
#include <string>

namespace platform {

using ErrorCode = uint32_t;

inline constexpr ErrorCode kSuccess = 0;
inline constexpr ErrorCode kErrorFileNotFound = 2;
inline constexpr ErrorCode kErrorPathNotFound = 3;
inline constexpr ErrorCode kErrorAccessDenied = 5;
inline constexpr ErrorCode kErrorNotEnoughMemory = 8;
inline constexpr ErrorCode kErrorNotReady = 21;
inline constexpr ErrorCode kErrorWriteFault = 29;
inline constexpr ErrorCode kErrorReadFault = 30;
inline constexpr ErrorCode kErrorSharingViolation = 32;
inline constexpr ErrorCode kErrorNotSupported = 50;
inline constexpr ErrorCode kErrorFileExists = 80;
inline constexpr ErrorCode kErrorInvalidParameter = 87;
inline constexpr ErrorCode kErrorDiskFull = 112;
inline constexpr ErrorCode kErrorInvalidName = 123;
inline constexpr ErrorCode kErrorDirNotEmpty = 145;
inline constexpr ErrorCode kErrorAlreadyExists = 183;
inline constexpr ErrorCode kErrorFilenameTooLong = 206;
inline constexpr ErrorCode kErrorMoreData = 234;
inline constexpr ErrorCode kErrorNoMoreFiles = 18;
inline constexpr ErrorCode kErrorDirectory = 267;
inline constexpr ErrorCode kErrorStoppedOnSymlink = 681;
inline constexpr ErrorCode kErrorRequestAborted = 1235;
inline constexpr ErrorCode kErrorDeviceNotConnected = 1167;
inline constexpr ErrorCode kErrorIoDevice = 1117;

// The system's own wording for an error, one line, no trailing line break
// ("Access is denied."). Unknown codes read "Error N.".
std::wstring ErrorText(ErrorCode code);

} // namespace platform
