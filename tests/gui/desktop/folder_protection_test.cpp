// Whether a folder may hold a program that runs elevated at logon: its security descriptor,
// written in SDDL, against the check that the logon task rests on.
#include "gui/desktop/windows/folder_protection.h"

#include <string>

#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

TEST(FolderProtection, OnlyAFolderThatNobodyButAdministratorsMayChangeIsProtected) {
  const std::wstring trusted_installer = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
  const std::wstring user = L"S-1-5-21-1-2-3-1001";
  // Program Files' entries, as a folder made in it inherits them: full control for
  // TrustedInstaller, SYSTEM and Administrators, read and execute for Users and app packages, and
  // everything to CREATOR OWNER for what is created later.
  const std::wstring program_files = L"(A;OICI;0x1f01ff;;;" + trusted_installer + L")(A;OICI;0x1f01ff;;;SY)(A;OICI;0x1f01ff;;;BA)"
                                     L"(A;OICI;0x1200a9;;;BU)(A;OICIIO;0x10000000;;;CO)(A;OICI;0x1200a9;;;S-1-15-2-1)";
  const struct { std::wstring sddl; bool protected_folder; } cases[] = {
      {L"O:BAD:PAI" + program_files, true},
      {L"O:" + trusted_installer + L"D:PAI" + program_files, true},
      {L"O:SYD:PAI" + program_files + L"(D;OICI;0x1301bf;;;WD)", true},  // a denial takes away only
      {L"O:BAD:PAI" + program_files + L"(A;OICI;0x1301bf;;;BU)", false},  // Users may modify
      {L"O:BAD:PAI" + program_files + L"(A;OICI;0x1301bf;;;AU)", false},  // Authenticated Users may
      {L"O:BAD:PAI" + program_files + L"(A;OICI;0x1f01ff;;;" + user + L")", false},  // the user may
      {L"O:BAD:PAI" + program_files + L"(A;CI;0x4;;;BU)", false},  // Users may add a folder
      {L"O:BAD:PAI" + program_files + L"(A;;0x40000;;;BU)", false},  // Users may change the permissions
      {L"O:BAD:PAI" + program_files + L"(A;OIIO;0x40000000;;;BU)", false},  // ...or write the files to come
      {L"O:BAD:PAI" + program_files + L"(A;OICIIO;0x10000000;;;" + user + L")", false},
      {L"O:" + user + L"D:PAI" + program_files, false},  // the user owns it
      {L"O:BA", false},  // no access list: everyone may
  };
  for (const auto& [sddl, protected_folder] : cases) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &sd, nullptr)) << sddl;
    EXPECT_EQ(only_administrators_can_write(sd), protected_folder) << sddl;
    LocalFree(sd);
  }

  // A null access list, which lets everyone in.
  SECURITY_DESCRIPTOR null_list;
  BYTE administrators[SECURITY_MAX_SID_SIZE];
  DWORD size = sizeof administrators;
  ASSERT_TRUE(InitializeSecurityDescriptor(&null_list, SECURITY_DESCRIPTOR_REVISION) &&
              CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
              SetSecurityDescriptorOwner(&null_list, administrators, FALSE) && SetSecurityDescriptorDacl(&null_list, TRUE, nullptr, FALSE));
  EXPECT_FALSE(only_administrators_can_write(&null_list));
}
