#include "update_setup.h"

#include "launcher_process.h"

namespace hanamizu::e2e {

ProductLaunchUpdateTest::ProductLaunchUpdateTest(DWORD main_delay_ms)
    : main_program(InstallProduct(installation, main_delay_ms)),
      update_dir(installation.PathOf("update")) {
  installation.AddDirectory("update");
}

void ProductLaunchUpdateTest::PublishUpdate(const std::string& version) const {
  server.PublishFile(BesideTestExecutable(kPackage), kPackage);
  server.PublishList(kListName, version, kPackage);
}

void ProductLaunchUpdateTest::SwitchAutoUpdate(const std::string& value,
                                               const std::string& url) const {
  kSettings.SetUser(kAutoUpdateKey, value);
  kSettings.SetUser(kAutoUpdateUrlKey, url);
}

void ProductLaunchUpdateTest::UseUpdateFolderAsTemp() {
  temp.emplace("TEMP", update_dir);
}

void ProductLaunchUpdateTest::Start() {
  launcher.emplace(installation.Start("launcher.exe boot"));
  splash.emplace(*launcher);
}

std::optional<MessageBoxSnapshot> ProductLaunchUpdateTest::NextBox() {
  std::optional<MessageBoxSnapshot> box;
  WaitUntil([&] {
    splash->Look();
    box = FindMessageBox(launcher->id());
    return box || !launcher->Running();
  });
  return box;
}

}  // namespace hanamizu::e2e
