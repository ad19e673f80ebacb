#pragma once
// Reading and writing the seven data folders, one per edition, in edition order.

#include <array>
#include <functional>
#include <string>

#include "EditionList.h"
#include "SettingsStore.h"

namespace ovaro {

using Datenpfade = std::array<std::wstring, kEditionCount>;

// An edition whose stored value exists but cannot be read is reported through
// `onReadFailure` and reads as empty; the others are still read, so that one bad
// value cannot leave later rows empty (a save would then wipe their folders).
Datenpfade LeseDatenpfade(SettingsStore& store, const std::function<void(const SettingsError&)>& onReadFailure);

// Writes all seven values in edition order. The first failing write stops the
// sequence and throws: earlier editions keep their new values, later ones their old.
void SpeichereDatenpfade(SettingsStore& store, const Datenpfade& pfade);

}  // namespace ovaro
