#pragma once
// What the drive monitor asks of the copy jobs when a letter arrives or goes.
#include <cstdint>

class IDriveJobs {
public:
    virtual ~IDriveJobs() = default;

    // A volume arrived at a managed letter: copy it.
    virtual void Attach(int32_t driveIndex) = 0;
    // A volume arrived at a letter the user does not manage: it is only logged, not copied.
    virtual void AttachUnmanaged(int32_t driveIndex) = 0;
    // The volume of a letter went away.
    virtual void Detach(int32_t driveIndex) = 0;
};
