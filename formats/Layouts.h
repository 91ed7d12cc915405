#pragma once

// The seven working tables, defined once for the writer, the reader and the tests.

#include "formats/Dbase.h"

#include <vector>

namespace almadia::layouts {

const dbase::TableLayout& ASIGNOMT();
const dbase::TableLayout& PROFT();
const dbase::TableLayout& AULAT();
const dbase::TableLayout& GRUPOST();
const dbase::TableLayout& DIASHORAST();
const dbase::TableLayout& COUNTSES();
const dbase::TableLayout& ASIGT();

// All seven, in the order the conversion run writes them.
const std::vector<const dbase::TableLayout*>& all();

} // namespace almadia::layouts
