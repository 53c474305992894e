#include "gui/desktop/windows/folder_protection.h"

#include <QByteArray>
#include <QDir>
#include <QString>

#include <easylogging++.h>

#include <string>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

namespace {

// What lets a user replace or add a file, or give himself the right to: the generic rights
// count, since inherit-only entries carry them for the files to come.
constexpr ACCESS_MASK changing_rights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA | FILE_WRITE_ATTRIBUTES |
                                        FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

const std::wstring administrators = L"S-1-5-32-544";
const std::wstring local_system = L"S-1-5-18";
const std::wstring trusted_installer = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
const std::wstring creator_owner = L"S-1-3-0";

std::wstring sid_text(PSID sid) {
  LPWSTR text = nullptr;
  if (!ConvertSidToStringSidW(sid, &text)) return {};
  std::wstring out(text);
  LocalFree(text);
  return out;
}

bool administrative(PSID sid) {
  const std::wstring text = sid_text(sid);
  return text == administrators || text == local_system || text == trusted_installer;
}

bool denies(BYTE ace_type) {
  return ace_type == ACCESS_DENIED_ACE_TYPE || ace_type == ACCESS_DENIED_OBJECT_ACE_TYPE ||
         ace_type == ACCESS_DENIED_CALLBACK_ACE_TYPE || ace_type == ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE;
}

// Wine keeps no access lists on real folders.
bool running_under_wine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

}  // namespace

bool only_administrators_can_write(void* sd) {
  if (!sd || !IsValidSecurityDescriptor(sd)) return false;
  PSID owner = nullptr;
  BOOL owner_defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(sd, &owner, &owner_defaulted) || !owner || !administrative(owner)) return false;
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL dacl = nullptr;
  if (!GetSecurityDescriptorDacl(sd, &present, &dacl, &defaulted) || !present || !dacl) return false;
  ACL_SIZE_INFORMATION size{};
  if (!GetAclInformation(dacl, &size, sizeof size, AclSizeInformation)) return false;
  for (DWORD i = 0; i < size.AceCount; ++i) {
    void* entry = nullptr;
    if (!GetAce(dacl, i, &entry)) return false;
    const auto* header = static_cast<const ACE_HEADER*>(entry);
    // A denial only takes away.
    if (denies(header->AceType)) continue;
    // Every kind of entry has its mask right after the header.
    auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
    if ((allowed->Mask & changing_rights) == 0) continue;
    // Those two kinds have the SID after the mask; any other kind that grants a change, which
    // folders do not carry, is not trusted.
    if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE) return false;
    const PSID sid = &allowed->SidStart;
    if (administrative(sid)) continue;
    if ((header->AceFlags & INHERIT_ONLY_ACE) != 0 && sid_text(sid) == creator_owner) continue;
    return false;
  }
  return true;
}

bool folder_protected(const QString& path) {
  // The tests' injection: under Wine, which has no access lists to check, UMBRATA_TEST_FOLDER_PROTECTED
  // set to 1 or 0 answers instead. On Windows, where any program the user runs could set it,
  // only its 0 counts: it never vouches for a folder.
  const QByteArray injected = qgetenv("UMBRATA_TEST_FOLDER_PROTECTED");
  if (injected == "0") return false;
  if (injected == "1" && running_under_wine()) return true;
  std::wstring native = QDir::toNativeSeparators(path).toStdWString();
  PSECURITY_DESCRIPTOR sd = nullptr;
  const DWORD error = GetNamedSecurityInfoW(native.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                            nullptr, nullptr, nullptr, nullptr, &sd);
  if (error != ERROR_SUCCESS) {
    LOG(WARNING) << "The security of " << path.toStdString() << " could not be read (error " << error
                 << "): taken as writable by anyone";
    return false;
  }
  const bool protected_folder = only_administrators_can_write(sd);
  LocalFree(sd);
  return protected_folder;
}
