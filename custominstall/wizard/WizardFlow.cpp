// The order of the wizard's pages.
#include "wizard/WizardFlow.h"

std::optional<PageId> NextPage(PageId page) {
  if (page == PageId::Summary) {
    return std::nullopt;
  }
  return static_cast<PageId>(static_cast<int>(page) + 1);
}

std::optional<PageId> PreviousPage(PageId page) {
  if (page == PageId::Welcome) {
    return std::nullopt;
  }
  return static_cast<PageId>(static_cast<int>(page) - 1);
}
