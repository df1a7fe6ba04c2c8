// runInstall with entries 971 to 973 damaged: the variant never reads them, and
// the plain book fails on the first of them and rolls back.
#include "install_test_base.h"

#include "install.h"
#include "settings.h"

namespace {

TEST_F(InstallTest, variantNeverReadsTheEntriesItReplaces)
{
    installSettings.specificBook = 1;
    runInstall();
    expectMessages({});
    expectBookFiles(true);
    expectRegisteredWithShortcut();
}

TEST_F(InstallTest, damagedEntryRollsBackLikeAMissingOne)
{
    installSettings.specificBook = 0;
    runInstall();
    expectMessages({copyFailedMessage});
    expectNothingLeft();
}

} // namespace
