#pragma once

// The report page's script: draws the charts from the page's `data`, plays
// the two sounds and answers clicks. Free of any library, so the page opens
// anywhere, offline.
extern const char* const kReportScript;
