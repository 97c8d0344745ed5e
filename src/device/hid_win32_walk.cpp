#include "device/hid_win32_walk.h"

#include <cstddef>
#include <cstring>
#include <optional>

namespace kavri {
namespace {

// A detail record longer than this is not a device path.
constexpr DWORD MAX_DETAIL_SIZE = 32 * 1024;

// The device path of one interface. The record's size field is the size of the record as this
// program lays it out (8 bytes on x86-64, 5 on 32-bit Windows): the function checks it.
std::optional<std::string> interface_path(const HidFunctions& f, HDEVINFO set,
                                          SP_DEVICE_INTERFACE_DATA& entry) {
  DWORD required = 0;
  f.get_device_interface_detail(set, &entry, nullptr, 0, &required, nullptr);
  constexpr DWORD path_at = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);
  if (required <= path_at || required > MAX_DETAIL_SIZE) return std::nullopt;
  // DWORDs keep the record aligned; the byte past `required` stays 0 and ends any path.
  std::vector<DWORD> storage((required + 1 + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(storage.data());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  if (!f.get_device_interface_detail(set, &entry, detail, required, nullptr, nullptr)) {
    return std::nullopt;
  }
  const char* path = detail->DevicePath;
  return std::string(path, strnlen(path, required - path_at));
}

}  // namespace

bool HidFunctions::complete() const {
  return get_hid_guid != nullptr && get_attributes != nullptr && get_class_devs != nullptr &&
         enum_device_interfaces != nullptr && get_device_interface_detail != nullptr &&
         destroy_device_info_list != nullptr && create_file != nullptr && close_handle != nullptr;
}

SetupApiInterfaceList::SetupApiInterfaceList(const HidFunctions& functions,
                                             Win32CardMaker make_card)
    : functions_(functions), make_card_(std::move(make_card)) {
  const HidFunctions& f = functions_;
  GUID hid_class{};
  f.get_hid_guid(&hid_class);
  HDEVINFO set = f.get_class_devs(&hid_class, nullptr, nullptr,
                                  DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);  // 0x12
  if (set == INVALID_HANDLE_VALUE || set == nullptr) return;
  for (DWORD member = 0; member < MAX_HID_INTERFACES; ++member) {
    SP_DEVICE_INTERFACE_DATA entry{};
    entry.cbSize = sizeof entry;
    if (!f.enum_device_interfaces(set, nullptr, &hid_class, member, &entry)) break;
    if (std::optional<std::string> found = interface_path(f, set, entry)) {
      paths_.push_back(std::move(*found));
    }
  }
  f.destroy_device_info_list(set);
}

HidOpenAttempt SetupApiInterfaceList::open(std::size_t i) {
  const HidFunctions& f = functions_;
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  // Overlapped, so that a read can wait with a time-out and a write is never stuck behind it.
  HANDLE device = f.create_file(paths_[i].c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED, nullptr);
  if (device == INVALID_HANDLE_VALUE || device == nullptr) {
    return {nullptr, std::nullopt, "error " + std::to_string(GetLastError())};
  }
  HidOpenAttempt attempt{make_card_(device), std::nullopt, {}};
  HIDD_ATTRIBUTES attributes{};
  attributes.Size = sizeof attributes;
  if (f.get_attributes(device, &attributes) != FALSE) {
    attempt.ids =
        HidInterfaceIds{attributes.VendorID, attributes.ProductID, attributes.VersionNumber};
  }
  return attempt;
}

}  // namespace kavri
