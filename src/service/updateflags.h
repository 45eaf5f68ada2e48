#pragma once

#include "device/hlprecords.h"
#include "service/unitidentity.h"

// Versions compare as main * 100 + sub.
struct SVersion
{
    int mainVer = 0;
    int subVer = 0;
    int value() const { return mainVer * 100 + subVer; }
};

// Versions of the built-in images for the connected unit's variant; 0.0 where there is none.
struct SImageVersions
{
    SVersion boot1;
    SVersion boot2;
    SVersion appl;
};

// What the connected unit needs, decided after each identification.
struct SUpdateFlags
{
    bool notUpdatable = false;
    bool updateAppl = false;
    bool updateWifi = false;
    bool updateBoot = false;
    bool oldBoot = false; // the unit's bootloader is a 1.x
    // The unit runs application 2.01, or did when it was seen before: it keeps needing the
    // bridge's restart until an update of it finishes.
    bool bridgeNeeded = false;
    SUnitIdentity bridgeUnit; // the unit bridgeNeeded belongs to
};

struct SFlagInput
{
    SHLP_IdentData ident;
    bool plus = false;
    int serialNumber = 0; // as identification stored it; 0 when none
    SImageVersions images;
    bool forceBoot = false; // -fb
    bool forceAppl = false; // -fa
    // This identification is the unit under update coming back after its restart (perhaps with
    // the serial number the update wrote): a bridge found needed before stays needed.
    bool keepBridge = false;
};

struct SFlagOutcome
{
    bool bootImagesOutOfSync = false; // the flags are cleared and identification fails
    int notUpdatableText = 0;         // uiText index for the not-updatable box, 0 for none
};

// The update-flag rules: recomputes every flag; bridgeNeeded is kept for the unit it was set for
// (or when keepBridge says so) and recomputed for any other unit.
SFlagOutcome applyUpdateFlagRules(const SFlagInput& in, SUpdateFlags& flags);

// Bootloader and application both at least 1.20: the unit has the de-icing counters.
bool deIceSupported(const SHLP_IdentData& ident);

// Dialog states (set by CMainDialogNew::showState).
enum EDialogState {
    EStateIdle = 0,
    EStateReady = 1,
    EStateUpToDate = 2,
    EStateUpdating = 3,
    EStateUpdated = 4,
    EStateSerialNeeded = 5,
    EStateSerialWritten = 6,
    EStateApplicationRunning = 7,
    EStateNotUpdatable = 8,
    EStateRebootNeeded = 9,
};

// The state that follows from the last identification: `partner` as stored (0 none) and the
// serial-number field read as an integer.
EDialogState chooseState(int partner, const SUpdateFlags& flags, int serialField);
