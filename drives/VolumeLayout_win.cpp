// The portable reader of volume broadcasts describes DEV_BROADCAST_VOLUME by offsets; check them
// against the system's own declaration.
#include "drives/VolumeNotification.h"

#include <windows.h>
#include <dbt.h>

#include <cstddef>

static_assert(offsetof(DEV_BROADCAST_VOLUME, dbcv_size) == kVolumeHeaderSizeOffset);
static_assert(offsetof(DEV_BROADCAST_VOLUME, dbcv_devicetype) == kVolumeDeviceTypeOffset);
static_assert(offsetof(DEV_BROADCAST_VOLUME, dbcv_unitmask) == kVolumeUnitMaskOffset);
static_assert(sizeof(DEV_BROADCAST_VOLUME) == kVolumeHeaderMinSize);
static_assert(DBT_DEVICEARRIVAL == kDeviceArrival);
static_assert(DBT_DEVICEREMOVECOMPLETE == kDeviceRemoveComplete);
static_assert(DBT_DEVTYP_VOLUME == kDeviceTypeVolume);
