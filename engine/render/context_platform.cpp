// Context creation on the platform's own utility library. Kept apart from
// context.cpp so that code built without the platform's device (tests on a
// recording device) never pulls the utility library's start-up in.
#include "engine/render/context.h"

namespace ZK3D {

std::unique_ptr<Context> Context::Create(HWND window) {
    UtilityLibrary library;
    library.initialize = [] { return D3DXInitialize(); };
    library.uninitialize = [] { return D3DXUninitialize(); };
    library.createContext = [](DWORD deviceIndex, DWORD flags, HWND w, DWORD width, DWORD height,
                               ID3DXContext** context) {
        return D3DXCreateContext(deviceIndex, flags, w, width, height, context);
    };
    library.createMatrixStack = [](DWORD flags, ID3DXMatrixStack** stack) {
        return D3DXCreateMatrixStack(flags, stack);
    };
    return Create(window, library);
}

}  // namespace ZK3D
