#include "settings/CompletionOptions.h"

OptionsControls ControlsFor(const CompletionOptions& options) {
    OptionsControls controls;
    controls.ejectCdRom = options.m_ejectCdRom != 0;
    controls.showPopup = options.m_showPopup != 0;
    controls.systemSpeaker = options.m_beepBySpeaker != 0;
    controls.commonAudio = !controls.systemSpeaker;
    SetBeepTicked(controls, options.m_beep != 0);
    return controls;
}

void SetBeepTicked(OptionsControls& controls, bool ticked) {
    controls.beep = ticked;
    controls.radiosEnabled = ticked;
}

CompletionOptions OptionsFromControls(const OptionsControls& controls) {
    CompletionOptions options;
    options.m_ejectCdRom = controls.ejectCdRom ? 1 : 0;
    options.m_showPopup = controls.showPopup ? 1 : 0;
    options.m_beep = controls.beep ? 1 : 0;
    options.m_beepBySpeaker = controls.systemSpeaker ? 1 : 0;
    return options;
}

CompletionOptions OptionsAfterDialog(const CompletionOptions& current, const CompletionOptions& edited,
                                     intptr_t dialogResult) {
    return dialogResult == kOptionsAccepted ? edited : current;
}
