#include "copy/CopyTarget.h"

#include <algorithm>
#include <array>

namespace {

// Windows' codes for the destination's own failures; the POSIX layer maps its errors onto them.
constexpr platform::ErrorCode kErrorWriteProtect = 19;
constexpr platform::ErrorCode kErrorHandleDiskFull = 39;

constexpr std::array<platform::ErrorCode, 13> kLostErrors = {
    platform::kErrorDiskFull,
    kErrorHandleDiskFull,
    kErrorWriteProtect,
    platform::kErrorNotReady,
    platform::kErrorDeviceNotConnected,
    53,   // ERROR_BAD_NETPATH
    55,   // ERROR_DEV_NOT_EXIST
    59,   // ERROR_UNEXP_NET_ERR
    64,   // ERROR_NETNAME_DELETED
    67,   // ERROR_BAD_NET_NAME
    1231, // ERROR_NETWORK_UNREACHABLE
    1232, // ERROR_HOST_UNREACHABLE
    1236, // ERROR_CONNECTION_ABORTED
};

} // namespace

bool IsDestinationLostError(platform::ErrorCode error) {
    return std::find(kLostErrors.begin(), kLostErrors.end(), error) != kLostErrors.end();
}

std::wstring LostDestinationText(platform::ErrorCode error) {
    if (error == platform::kErrorDiskFull || error == kErrorHandleDiskFull)
        return L"the destination is full";
    if (error == kErrorWriteProtect)
        return L"the destination is write-protected";
    return L"the destination cannot be reached";
}
