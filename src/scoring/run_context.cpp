#include "scoring/run_context.h"

#include "platform/code_page.h"
#include "platform/paths.h"
#include "support/host_name.h"

namespace keyin {

RunContext CurrentRunContext() {
  return {
      .now = LocalNow(),
      .ComputerName = Utf8ToUtf16(GetEnvironment("ComputerName").value_or("")),
      .LocalHostName = GetLocalHostName(),
  };
}

}  // namespace keyin
