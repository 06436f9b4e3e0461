// The order of the wizard's pages and how a page ends.
#pragma once

#include <optional>

/// The seven pages, in the order Next walks them.
enum class PageId { Welcome, Names, DeviceNames, VidPid, Options, OutputDir, Summary };

/// How a page ended: Next and Back move on with the page's record; Close (Cancel, Esc,
/// the close box, or a successful Finish) ends the wizard.
enum class PageExit { Next, Back, Close };

/// The page after page, or nothing after the summary page.
std::optional<PageId> NextPage(PageId page);
/// The page before page, or nothing before the welcome page.
std::optional<PageId> PreviousPage(PageId page);
