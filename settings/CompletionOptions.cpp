#include "settings/CompletionOptions.h"

OptionsControls ControlsFor(const OptionsDialogValues& values) {
    const CompletionOptions& options = values.completion;
    OptionsControls controls;
    controls.ejectCdRom = options.m_ejectCdRom != 0;
    controls.showPopup = options.m_showPopup != 0;
    controls.systemSpeaker = options.m_beepBySpeaker != 0;
    controls.commonAudio = !controls.systemSpeaker;
    SetBeepTicked(controls, options.m_beep != 0);
    controls.verify = values.copying.m_verify != 0;
    controls.onlyNew = values.copying.m_onlyNew != 0;
    controls.alsoCopyTo = values.alsoCopyTo;
    return controls;
}

void SetBeepTicked(OptionsControls& controls, bool ticked) {
    controls.beep = ticked;
    controls.radiosEnabled = ticked;
}

OptionsDialogValues OptionsFromControls(const OptionsControls& controls) {
    OptionsDialogValues values;
    CompletionOptions& options = values.completion;
    options.m_ejectCdRom = controls.ejectCdRom ? 1 : 0;
    options.m_showPopup = controls.showPopup ? 1 : 0;
    options.m_beep = controls.beep ? 1 : 0;
    options.m_beepBySpeaker = controls.systemSpeaker ? 1 : 0;
    values.copying.m_verify = controls.verify ? 1 : 0;
    values.copying.m_onlyNew = controls.onlyNew ? 1 : 0;
    values.alsoCopyTo = controls.alsoCopyTo;
    return values;
}

OptionsDialogValues OptionsAfterDialog(const OptionsDialogValues& current, const OptionsDialogValues& edited,
                                       intptr_t dialogResult) {
    return dialogResult == kOptionsAccepted ? edited : current;
}
