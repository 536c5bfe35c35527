#pragma once

namespace shotrenum {

// One run over the current directory: counts and collects the screenshots,
// puts them into capture order and either reports that there is nothing to do
// or renumbers them. Returns 1 when the set was ordered (reported in order or
// renumbered), 0 when the run ended before that.
int RunRenumber();

}  // namespace shotrenum
