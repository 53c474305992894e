#pragma once

class QString;

// Whether a folder is one that only administrators may change. A program that runs with
// administrator rights without asking, as a logon task does, may come only from such a folder:
// from any other, a program that the user runs could swap the executable or a DLL first.

// True when the owner of sd is Administrators (S-1-5-32-544), SYSTEM (S-1-5-18) or
// TrustedInstaller, and no entry of its access list lets anyone else write, append, delete, or
// change the permissions or the owner, of the folder or, through inheritance, of the files it
// holds. CREATOR OWNER's inherit-only entries are left aside: they give what an administrator
// creates there to that administrator. A missing or null access list lets everyone in: false.
// sd is a PSECURITY_DESCRIPTOR, which is void*: this header leaves <windows.h> to its includers.
bool only_administrators_can_write(void* sd);

// only_administrators_can_write on the folder at path, as the file system has it; false, logged,
// when its security cannot be read.
bool folder_protected(const QString& path);
