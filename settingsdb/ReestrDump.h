// Shows a settings database as a tree, for the inspector tool and for checks of whole files.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "settingsdb/Reestr.h"

// The code's name as Reestr declares it, for example "ecReadFailed".
const char* ReestrErrorName(Reestr::ErrorCode code);

struct ReestrDamage {
  Reestr::ErrorCode code;
  std::string where;
};

// Prints the header, both free-slot lists and every entry (type, attribute, length, value) as a
// tree, holding the database's lock meanwhile. Each record is visited once: a chain that loops
// or two links to one record are damage, as is anything Reestr itself cannot read. Returns the
// first damage met, or nothing for a sound database. Links that Reestr never follows (a `prev`
// that does not name the record before, a header count that differs from the top-level chain)
// are printed as notes.
std::optional<ReestrDamage> PrintReestr(Reestr& db, std::ostream& out);
