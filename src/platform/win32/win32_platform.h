#pragma once

#include "common/launch_log.h"
#include "platform/platform.h"
#include "update/package_signers.h"
#include "update/publisher_keys.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_http.h"
#include "platform/win32/win32_ini.h"
#include "platform/win32/win32_process.h"
#include "platform/win32/win32_settings.h"
#include "platform/win32/win32_system.h"
#include "platform/win32/win32_ui.h"

namespace hanamizu::win32 {

// The real platform: one of each backend, wired together.
struct Win32Platform {
  Win32FileSystem files;
  Win32SettingsStore settings;
  Win32IniReader ini;
  Win32UserInterface ui;
  Win32SystemServices system;
  Win32HttpClient http;
  Win32ProcessLauncher processes;
  std::unique_ptr<SigningCrypto> crypto = MakeSystemCrypto();
  LaunchLog log;
  LoggedUserInterface logged_ui{ui, log};
  Platform platform{files,
                    settings,
                    ini,
                    logged_ui,
                    system,
                    http,
                    processes,
                    *crypto,
                    log,
                    BuiltInPublisherKeys(),
                    BuiltInPackageSigners()};
};

}  // namespace hanamizu::win32
