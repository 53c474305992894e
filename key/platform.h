#pragma once

#include <string>

class QString;

// The few operating-system services the key layer needs; one implementation per platform.
namespace platform {

// The user's roaming application-data folder, in the local 8-bit encoding. Returns false
// when the system has none to offer.
bool user_app_data_folder(std::string& folder);

// Creates folder and every missing parent, readable by the user alone where the system
// allows it. Returns false when the folder does not exist afterwards.
bool make_private_folder(const QString& folder);

}  // namespace platform
