// Ends one use of settings/effect_params.def (included after it, any number of times).
#undef PAGE
#undef END_PAGE
#undef SPIN
#undef DELAY
#undef UNSTORED_DELAY
#undef SIGNED
#undef COLOUR
#undef CHECK
#undef COMBO
#undef PAD
#undef HIDDEN
#undef LABEL
