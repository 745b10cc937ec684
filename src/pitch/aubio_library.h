#pragma once

#ifdef KELDITRA_HAVE_AUBIO

#include <aubio/aubio.h>

// aubio, opened when a pitch track is made rather than linked into the
// program: it brings some 140 libraries with it (codecs among them), and
// loading those would cost every start of the program, a conversion of a
// single frame included, tens of milliseconds.
class AubioLibrary {
 public:
  AubioLibrary();
  ~AubioLibrary();
  AubioLibrary(const AubioLibrary&) = delete;
  AubioLibrary& operator=(const AubioLibrary&) = delete;

  // false when the library or one of its functions is missing.
  bool loaded() const { return handle_ != nullptr; }

  decltype(&new_aubio_pitch) new_pitch = nullptr;
  decltype(&del_aubio_pitch) delete_pitch = nullptr;
  decltype(&aubio_pitch_set_unit) set_unit = nullptr;
  decltype(&aubio_pitch_set_silence) set_silence = nullptr;
  decltype(&aubio_pitch_do) pitch_do = nullptr;
  decltype(&new_fvec) new_vector = nullptr;
  decltype(&del_fvec) delete_vector = nullptr;

 private:
  void* handle_ = nullptr;
};

#endif  // KELDITRA_HAVE_AUBIO
