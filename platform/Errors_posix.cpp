#include "platform/Errors.h"
#include "platform/Text.h"

namespace platform {

// The wording Windows uses, so logs read the same on every build.
std::wstring ErrorText(ErrorCode code) {
    switch (code) {
    case kSuccess:
        return L"The operation completed successfully.";
    case kErrorFileNotFound:
        return L"The system cannot find the file specified.";
    case kErrorPathNotFound:
        return L"The system cannot find the path specified.";
    case kErrorAccessDenied:
        return L"Access is denied.";
    case kErrorNotEnoughMemory:
        return L"Not enough memory resources are available to process this command.";
    case kErrorNotReady:
        return L"The device is not ready.";
    case kErrorWriteFault:
        return L"The system cannot write to the specified device.";
    case kErrorReadFault:
        return L"The system cannot read from the specified device.";
    case kErrorSharingViolation:
        return L"The process cannot access the file because it is being used by another process.";
    case kErrorNotSupported:
        return L"The request is not supported.";
    case kErrorFileExists:
        return L"The file exists.";
    case kErrorInvalidParameter:
        return L"The parameter is incorrect.";
    case kErrorDiskFull:
        return L"There is not enough space on the disk.";
    case kErrorInvalidName:
        return L"The filename, directory name, or volume label syntax is incorrect.";
    case kErrorDirNotEmpty:
        return L"The directory is not empty.";
    case kErrorAlreadyExists:
        return L"Cannot create a file when that file already exists.";
    case kErrorFilenameTooLong:
        return L"The filename or extension is too long.";
    case kErrorMoreData:
        return L"More data is available.";
    case kErrorNoMoreFiles:
        return L"There are no more files.";
    case kErrorDirectory:
        return L"The directory name is invalid.";
    case kErrorStoppedOnSymlink:
        return L"The create operation stopped after reaching a symbolic link.";
    case kErrorRequestAborted:
        return L"The request was aborted.";
    case kErrorDeviceNotConnected:
        return L"The device is not connected.";
    case kErrorIoDevice:
        return L"The request could not be performed because of an I/O device error.";
    default:
        return Format(L"Error %u.", static_cast<unsigned>(code));
    }
}

} // namespace platform
