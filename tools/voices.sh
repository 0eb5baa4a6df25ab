# The two voices of the pad's words, shared by tools/make-assets (the built-in words) and
# pulsor-make-kit (a user's own). Source it, then: speak_word ASSETTOOL WORK low|high TEXT OUT.wav
#
# espeak-ng's own pitch plus a pitch shift that moves the formants with it, so the low voice sounds
# like a deep speaker and the high one like a small one, not just a tune.
low_voice=(-v en-us+m3 -p 30 -s 150)
low_sox=(pitch -350 bass +4)
high_voice=(-v en-us+f3 -p 70 -s 165)
high_sox=(pitch +450 treble +2)

speak_word() {
    local tool=$1 work=$2 voice=$3 text=$4 out=$5
    if [ "$voice" = low ]; then
        espeak-ng "${low_voice[@]}" -w "$work/w.wav" -- "$text"
        sox -R -D "$work/w.wav" -t raw -e signed -b 16 -c 1 "$work/w.raw" "${low_sox[@]}" rate 22050
    else
        espeak-ng "${high_voice[@]}" -w "$work/w.wav" -- "$text"
        sox -R -D "$work/w.wav" -t raw -e signed -b 16 -c 1 "$work/w.raw" "${high_sox[@]}" rate 22050
    fi
    # Trimmed to just before the voice, faded out, -1 dBFS, 22050 Hz 16-bit mono.
    "$tool" word "$work/w.raw" "$out"
}
