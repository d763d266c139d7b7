// The texts that the dialogs and message boxes show. Kept in one place so
// that setup.rc and the code can't drift apart.
#pragma once

#define SETUP_PRODUCT_NAME      "Zarnocrypt"
#define SETUP_WEB_ADDRESS       "https://zarnocrypt.example/"
#define SETUP_WELCOME           "Welcome to Zarnocrypt Setup!"
#define SETUP_DESCRIPTION1      "Zarnocrypt is a standard COM component that implements the AES"
#define SETUP_DESCRIPTION2      "(Rijndael) symmetric-key encryption algorithm."
#define SETUP_NOTICE            "Copyright (C) Zarnocrypt. All rights reserved."
#define SETUP_ABOUT_NOTICE      "Copyright (C) Zarnocrypt"
#define SETUP_ABOUT_VERSION     "Setup Version 1.0"
#define SETUP_ABOUT_MENU_ITEM   "&About Setup..."

#define SETUP_MSG_NO_FILE       "Cannot find file: "
#define SETUP_MSG_FAILED        "Zarnocrypt has failed."
#define SETUP_MSG_NO_SYSTEM_DIR "Cannot find the Windows system directory."
#define SETUP_MSG_IN_USE        "Zarnocrypt.dll is in use. Close the programs that use it and run Setup again."
#define SETUP_MSG_NOT_REMOVED   "Zarnocrypt could not be unregistered, so its file has been kept."
#define SETUP_MSG_SUCCESS \
  "Zarnocrypt has been set up successfully.\n\n" \
  "Do you want to visit the Zarnocrypt web site at " SETUP_WEB_ADDRESS "?"
