FUNCTION reuse_alv_list_display.
  PERFORM display USING 'REUSE_ALV_LIST_DISPLAY' i_callback_program space space
                        is_layout it_fieldcat it_sort i_default i_save is_variant it_events t_outtab[].
ENDFUNCTION.
