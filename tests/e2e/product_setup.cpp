#include "product_setup.h"

#include "standin_record.h"

namespace hanamizu::e2e {

std::string InstallProduct(const Installation& installation, DWORD main_delay_ms,
                           DWORD main_exit_code) {
  CopyStandIn("PRT1.EXE", installation.directory());
  const std::string main_program = CopyStandIn(kMainProgram, installation.directory());
  ControlStandIn(main_program, main_exit_code, main_delay_ms);
  return main_program;
}

}  // namespace hanamizu::e2e
