# The reference track: Praat's autocorrelation pitch (75 to 600 Hz) read at
# the centre of every whole 735-sample frame, one Hz value a line, 0 where
# Praat hears no pitch.
# Usage: praat --run praat_pitch.praat IN.wav OUT.txt
form Track
  sentence wav
  sentence out
endform
sound = Read from file: wav$
pitch = To Pitch: 0, 75, 600
selectObject: sound
samples = Get number of samples
frames = floor(samples / 735)
selectObject: pitch
deleteFile: out$
for i from 0 to frames - 1
  hz = Get value at time: (i * 735 + 367.5) / 44100, "Hertz", "linear"
  if hz = undefined
    hz = 0
  endif
  appendFileLine: out$, fixed$(hz, 2)
endfor
