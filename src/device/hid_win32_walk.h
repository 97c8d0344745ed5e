// How the Windows backend lists the HID interfaces for the walk of hid_open
// (device/hid_open_walk.h), on a table of the system functions it calls, so that tests can run
// it on fakes.
#pragma once

#include <windows.h>
// windows.h first: the device-setup and HID headers need its types.
#include <hidsdi.h>
#include <setupapi.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "device/hid_open_walk.h"

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

// The card an opened interface's handle becomes; it owns the handle and closes it when
// destroyed.
using Win32CardMaker = std::function<std::unique_ptr<HidCard>(HANDLE)>;

// The card over an interface opened for overlapped I/O whose input reports are
// `input_report_length` bytes, report id included: each read takes exactly one report.
std::unique_ptr<HidCard> make_win32_card(HANDLE device, std::size_t input_report_length);

// The present HID interfaces of the device-setup API: the paths of the first
// MAX_HID_INTERFACES members, read when the list is made (the device set is released before
// the constructor returns; a member whose path cannot be read is left out). Their ids are read
// once open (HidD_GetAttributes); an interface is opened for reading and writing with
// overlapped I/O.
class SetupApiInterfaceList final : public HidInterfaceList {
 public:
  SetupApiInterfaceList(const HidFunctions& functions, Win32CardMaker make_card);

  std::size_t size() const override { return paths_.size(); }
  std::string path(std::size_t i) const override { return paths_[i]; }
  std::optional<HidInterfaceIds> listed_ids(std::size_t) const override { return std::nullopt; }
  HidOpenAttempt open(std::size_t i) override;

 private:
  const HidFunctions& functions_;
  Win32CardMaker make_card_;
  std::vector<std::string> paths_;
};

}  // namespace kavri
