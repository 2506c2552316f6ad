#include "settings/CompletionOptions.h"

#include <gtest/gtest.h>

namespace {

OptionsDialogValues Options(int32_t eject, int32_t popup, int32_t beep, int32_t speaker, int32_t verify = 0,
                            int32_t onlyNew = 0) {
    OptionsDialogValues values;
    values.completion = {eject, popup, beep, speaker};
    values.copying = {verify, onlyNew};
    return values;
}

// What the user sees after opening the dialog on `options` and pressing OK without touching anything.
OptionsDialogValues OpenAndAccept(const OptionsDialogValues& options) {
    return OptionsFromControls(ControlsFor(options));
}

} // namespace

TEST(OptionsDialogControls, EveryCombinationComesBackUnchangedWhenNothingIsTouched) {
    for (int bits = 0; bits < 64; ++bits) {
        OptionsDialogValues options = Options(bits & 1, (bits >> 1) & 1, (bits >> 2) & 1, (bits >> 3) & 1,
                                              (bits >> 4) & 1, (bits >> 5) & 1);
        options.alsoCopyTo = (bits & 1) ? L"E:\\Backup" : L"";
        EXPECT_EQ(OpenAndAccept(options), options) << "flags " << bits;
    }
}

TEST(OptionsDialogControls, EachFlagTicksOnlyItsOwnBox) {
    OptionsControls eject = ControlsFor(Options(1, 0, 0, 0));
    EXPECT_TRUE(eject.ejectCdRom);
    EXPECT_FALSE(eject.showPopup);
    EXPECT_FALSE(eject.beep);

    OptionsControls popup = ControlsFor(Options(0, 1, 0, 0));
    EXPECT_FALSE(popup.ejectCdRom);
    EXPECT_TRUE(popup.showPopup);
    EXPECT_FALSE(popup.beep);

    OptionsControls beep = ControlsFor(Options(0, 0, 1, 0));
    EXPECT_FALSE(beep.ejectCdRom);
    EXPECT_FALSE(beep.showPopup);
    EXPECT_TRUE(beep.beep);
    EXPECT_FALSE(beep.verify || beep.onlyNew);

    OptionsControls verify = ControlsFor(Options(0, 0, 0, 0, 1, 0));
    EXPECT_TRUE(verify.verify);
    EXPECT_FALSE(verify.onlyNew || verify.beep || verify.ejectCdRom);

    OptionsControls onlyNew = ControlsFor(Options(0, 0, 0, 0, 0, 1));
    EXPECT_TRUE(onlyNew.onlyNew);
    EXPECT_FALSE(onlyNew.verify || onlyNew.beep || onlyNew.showPopup);
}

TEST(OptionsDialogControls, ExactlyOneRadioButtonIsTickedWhateverWasStored) {
    for (int32_t stored : {0, 1, 2, -1, 0x7fffffff}) {
        OptionsControls controls = ControlsFor(Options(0, 0, 1, stored));
        EXPECT_NE(controls.commonAudio, controls.systemSpeaker) << "stored " << stored;
        EXPECT_EQ(controls.systemSpeaker, stored != 0) << "stored " << stored;
    }
}

TEST(OptionsDialogControls, OddStoredValuesTickTheirBoxesAndComeBackAsOne) {
    EXPECT_EQ(OpenAndAccept(Options(2, -1, 5, 9, 7, -3)), Options(1, 1, 1, 1, 1, 1));
}

TEST(OptionsDialogControls, RadioButtonsAreEnabledOnlyWhileTheBeepIsOn) {
    EXPECT_FALSE(ControlsFor(Options(1, 1, 0, 1)).radiosEnabled);
    EXPECT_TRUE(ControlsFor(Options(0, 0, 1, 0)).radiosEnabled);
}

TEST(OptionsDialogControls, SwitchingTheBeepOffAndOnKeepsTheRadioTicks) {
    OptionsControls controls = ControlsFor(Options(0, 0, 1, 1));

    SetBeepTicked(controls, false);
    EXPECT_FALSE(controls.beep);
    EXPECT_FALSE(controls.radiosEnabled);
    EXPECT_TRUE(controls.systemSpeaker) << "a greyed radio button keeps its tick";
    EXPECT_FALSE(controls.commonAudio);

    SetBeepTicked(controls, true);
    EXPECT_TRUE(controls.beep);
    EXPECT_TRUE(controls.radiosEnabled);
    EXPECT_TRUE(controls.systemSpeaker);
    EXPECT_FALSE(controls.commonAudio);
}

TEST(OptionsDialogControls, SpeakerChoiceIsKeptWhileTheBeepIsOff) {
    OptionsControls controls = ControlsFor(Options(0, 0, 1, 0));
    controls.commonAudio = false;
    controls.systemSpeaker = true;
    SetBeepTicked(controls, false);

    OptionsDialogValues accepted = OptionsFromControls(controls);
    EXPECT_EQ(accepted.completion.m_beep, 0);
    EXPECT_EQ(accepted.completion.m_beepBySpeaker, 1);

    OptionsControls reopened = ControlsFor(accepted);
    EXPECT_FALSE(reopened.beep);
    EXPECT_TRUE(reopened.systemSpeaker);
    EXPECT_FALSE(reopened.radiosEnabled);
}

TEST(OptionsAfterDialog, OnlyOkHandsTheEditedValuesBack) {
    OptionsDialogValues current = Options(0, 1, 0, 1, 1, 0);
    current.alsoCopyTo = L"E:\\Backup";
    OptionsDialogValues edited = Options(1, 0, 1, 0, 0, 1); // "Also copy to" cleared

    EXPECT_EQ(OptionsAfterDialog(current, edited, kOptionsAccepted), edited);
    EXPECT_EQ(OptionsAfterDialog(current, edited, 2), current) << "Cancel, Esc or the close box";
    EXPECT_EQ(OptionsAfterDialog(current, edited, 0), current) << "no owner window";
    EXPECT_EQ(OptionsAfterDialog(current, edited, -1), current) << "the dialog could not be created";
}
