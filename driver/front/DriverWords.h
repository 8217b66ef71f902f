#pragma once

#include "common/Names.h"
#include "common/Version.h"

namespace zel {

// The driver front end's own words: command names, outcomes in the data item, status texts.

// Outcomes and status words.
inline constexpr char DataLoadedWord[] = "data loaded";
inline constexpr char SendedWord[] = "sended";
inline constexpr char ErrorWord[] = "error";
inline constexpr char OkWord[] = "OK";
inline constexpr char FailWord[] = "Fail";
inline constexpr char BusyWord[] = "Busy";

// The program's title: its taskbar text, the main window's hint, the About box.
inline constexpr char ProgramTitle[] = "ZEL driver";

}  // namespace zel
