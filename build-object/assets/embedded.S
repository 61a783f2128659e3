// Generated pictures, included byte for byte into the executable.
  .section .rodata
  .balign 16
#define EMBED(sym, file) \
  .global sym##_begin; sym##_begin: .incbin file; .global sym##_end; sym##_end: .balign 16;
EMBED(autorun_background_object, "/work/main/build-object/assets/background.ole")
EMBED(autorun_setupwizard_button, "/work/main/build-object/assets/setupwizard.gif")
EMBED(autorun_manualinstallation_button, "/work/main/build-object/assets/manualinstallation.gif")
EMBED(autorun_documentation_button, "/work/main/build-object/assets/documentation.gif")
EMBED(autorun_exit_button, "/work/main/build-object/assets/exit.gif")
EMBED(autorun_window_icon, "/work/main/build-object/assets/autorun.ico")
EMBED(autorun_hand_pointer, "/work/main/build-object/assets/hand.cur")
  .section .note.GNU-stack,"",@progbits
