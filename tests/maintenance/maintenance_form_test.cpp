#include "maintenance/maintenance_form.h"

#include <gtest/gtest.h>

namespace keyin {
namespace {

TEST(ActivateMaintenanceForm, ReadsPieceElevenAsANumber) {
  EXPECT_EQ(ActivateMaintenanceForm(u"A01,E01,P001,,S1,王小明,3,15,1,600,300, 0.5,lib/,scores/")
                .SubtractScore,
            0.5);
}

}  // namespace
}  // namespace keyin
