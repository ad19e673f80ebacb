#include "DataFolderSettings.h"

namespace ovaro {

Datenpfade LeseDatenpfade(SettingsStore& store, const std::function<void(const SettingsError&)>& onReadFailure) {
    Datenpfade pfade;
    for (int i = 0; i < kEditionCount; ++i) {
        try {
            pfade[i] = store.Read(kEditionen[i].applicationName, kSettingsSection, kSettingsKey, L"");
        } catch (const SettingsError& failure) {
            pfade[i].clear();
            if (onReadFailure) onReadFailure(failure);
        }
    }
    return pfade;
}

void SpeichereDatenpfade(SettingsStore& store, const Datenpfade& pfade) {
    for (int i = 0; i < kEditionCount; ++i)
        store.Write(kEditionen[i].applicationName, kSettingsSection, kSettingsKey, pfade[i]);
}

}  // namespace ovaro
