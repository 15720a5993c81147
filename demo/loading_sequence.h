// The loading phase as the frame dispatcher drives it: begun once, then stepped
// once per frame until the host's loadStatus says it has finished or failed. It
// creates the scripts into the host's scripts. The program runs the scene
// sequencer; tests run scripted stand-ins.
#pragma once

class DemoHost;

class LoadingSequence {
public:
    virtual ~LoadingSequence() = default;
    virtual void beginLoading(DemoHost& demo) = 0;
    virtual void loadingStep(DemoHost& demo) = 0;
    // Releases what the loading phase still holds (called by the demo's shutdown).
    virtual void release(DemoHost& /*demo*/) {}
};
