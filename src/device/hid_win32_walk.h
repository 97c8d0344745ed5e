// How the Windows backend finds the card: the walk over the HID interfaces of the device-setup
// API, on a table of the system functions it calls, so that tests can run it on fakes.
#pragma once

#include <windows.h>
// windows.h first: the device-setup and HID headers need its types.
#include <hidsdi.h>
#include <setupapi.h>

#include <cstdint>

namespace kavri {

// The system functions the walk calls, as loaded from hid.dll, setupapi.dll and kernel32.
struct HidFunctions {
  void(WINAPI* get_hid_guid)(GUID*) = nullptr;                          // HidD_GetHidGuid
  BOOLEAN(WINAPI* get_attributes)(HANDLE, HIDD_ATTRIBUTES*) = nullptr;  // HidD_GetAttributes
  HDEVINFO(WINAPI* get_class_devs)(const GUID*, PCSTR, HWND, DWORD) = nullptr;
  BOOL(WINAPI* enum_device_interfaces)
  (HDEVINFO, SP_DEVINFO_DATA*, const GUID*, DWORD, SP_DEVICE_INTERFACE_DATA*) = nullptr;
  BOOL(WINAPI* get_device_interface_detail)
  (HDEVINFO, SP_DEVICE_INTERFACE_DATA*, SP_DEVICE_INTERFACE_DETAIL_DATA_A*, DWORD, DWORD*,
   SP_DEVINFO_DATA*) = nullptr;
  BOOL(WINAPI* destroy_device_info_list)(HDEVINFO) = nullptr;
  HANDLE(WINAPI* create_file)
  (LPCSTR, DWORD, DWORD, SECURITY_ATTRIBUTES*, DWORD, DWORD, HANDLE) = nullptr;
  BOOL(WINAPI* close_handle)(HANDLE) = nullptr;

  bool complete() const;
};

// At most this many interfaces are examined; those past it are never looked at.
constexpr DWORD MAX_HID_INTERFACES = 256;

// Opens the index-th HID interface (from 0) whose attributes match, for reading and writing
// with overlapped I/O; INVALID_HANDLE_VALUE when there is none. An interface whose path
// cannot be read or opened is skipped; every handle opened and not returned is closed, and the
// device set is released, whatever the outcome.
HANDLE open_matching_hid_interface(const HidFunctions& functions, std::uint16_t product_id,
                                   std::uint16_t vendor_id, int version, int index);

}  // namespace kavri
