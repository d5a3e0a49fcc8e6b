// Releasing a COM object the player holds, and forgetting it.
#pragma once

template <class T>
void ReleaseObject(T*& object)
{
    if (object) {
        object->Release();
        object = nullptr;
    }
}
