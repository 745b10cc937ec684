#include "pitch/aubio_library.h"

#ifdef KELDITRA_HAVE_AUBIO

#include <dlfcn.h>

namespace {

template <typename Function>
bool Find(void* handle, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(dlsym(handle, name));
  return *function != nullptr;
}

}  // namespace

AubioLibrary::AubioLibrary() {
  // Never unloaded: the codec libraries aubio brings keep memory of their own
  // from their first load, and loading them a second time costs as much again.
  void* handle = dlopen(KELDITRA_AUBIO_SONAME, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) return;
  const bool complete = Find(handle, "new_aubio_pitch", &new_pitch) &&
                        Find(handle, "del_aubio_pitch", &delete_pitch) &&
                        Find(handle, "aubio_pitch_set_unit", &set_unit) &&
                        Find(handle, "aubio_pitch_set_silence", &set_silence) &&
                        Find(handle, "aubio_pitch_do", &pitch_do) &&
                        Find(handle, "new_fvec", &new_vector) &&
                        Find(handle, "del_fvec", &delete_vector);
  if (complete) {
    handle_ = handle;
  } else {
    dlclose(handle);
  }
}

AubioLibrary::~AubioLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

#endif  // KELDITRA_HAVE_AUBIO
