#pragma once
// The driver front end's own words, for the status indicator and the data item.

constexpr const char* DataLoadedWord = "data loaded";
