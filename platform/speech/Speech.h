// The text-to-speech control: a class registered under the speech control's class identifier whose
// one method, "speak", says a UTF-8 text with the Russian voice of espeak-ng (loaded at run time).
//
// TALVIK_SPEECH_LOG=<file> makes it append each text as a line to the file instead, and
// TALVIK_SPEECH_WAV=<folder> makes it write each text spoken into its own WAV file there
// (speech-0001.wav, ...). TALVIK_SPEECH_LIBRARY names another file of the engine's library.
#pragma once

#include <string>

inline constexpr char CLSID_SpeechControl[] = "{EEE78591-FE22-11D0-8BEF-0060081841DE}";

// Registers the class; creating an object then fails (raises) when the engine's library, its
// Russian voice or an audio output is missing. Calling it again is harmless.
void RegisterSpeechControl();
