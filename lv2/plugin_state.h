#pragma once
#include <lv2/state/state.h>

class Lv2Instrument;

// What the ports cannot hold, saved through the host's state interface: the
// current program, the values playing and the port values they came from.
LV2_State_Status saveInstrumentState(Lv2Instrument& instrument, LV2_State_Store_Function store, LV2_State_Handle handle);
// Refuses state of another type, size or range whole, changing nothing; an
// empty state resets to a fresh instance's.
LV2_State_Status restoreInstrumentState(Lv2Instrument& instrument, LV2_State_Retrieve_Function retrieve,
                                        LV2_State_Handle handle);
