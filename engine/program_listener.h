#pragma once

// Told when the values of the current program changed behind the panel's
// back: a MIDI controller stored a parameter, or another program was
// selected. Called on the thread that delivered the change (for MIDI often
// the audio thread): it may only raise a flag.
class ProgramListener {
public:
    virtual void programValuesChanged() = 0;

protected:
    ~ProgramListener() = default;
};
