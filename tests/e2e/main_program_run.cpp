#include "main_program_run.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "process_watch.h"
#include "ui_probe.h"

namespace hanamizu::e2e {

std::optional<MainProgramRun> FollowMainProgramRun(const LauncherProcess& launcher,
                                                   SplashWatch& splash,
                                                   const std::string& main_program) {
  std::optional<StandInRecord> record;
  std::optional<MessageBoxSnapshot> box;
  WaitUntil([&] {
    splash.Look();
    record = ReadStandInRecord(main_program);
    if (record) return true;
    box = FindMessageBox(launcher.id());
    return box || !launcher.Running();
  });
  if (!record) {
    if (box) {
      ADD_FAILURE() << "a message box instead of the main program: " << box->caption << ": "
                    << box->text;
    } else if (!launcher.Running()) {
      ADD_FAILURE() << "the launcher ended without starting the main program";
    } else {
      ADD_FAILURE() << "the main program did not start within the bound";
    }
    return std::nullopt;
  }
  MainProgramRun run;
  run.record = *record;
  run.launcher_running_at_start = launcher.Running();
  splash.Look();  // the splash may have gone since the look before the record appeared
  run.splash_gone_at_start = splash.seen() && !IsWindow(splash.handle());

  std::unique_ptr<ProcessWatch> main;
  try {
    main = std::make_unique<ProcessWatch>(record->process_id);
  } catch (const std::runtime_error& error) {
    ADD_FAILURE() << "the main program ended before it could be watched: " << error.what();
    return std::nullopt;
  }
  if (!launcher.WaitForExit()) {
    ADD_FAILURE() << "the launcher did not end within the bound";
    return std::nullopt;
  }
  run.main_ended_before_launcher = main->Ended();
  return run;
}

}  // namespace hanamizu::e2e
