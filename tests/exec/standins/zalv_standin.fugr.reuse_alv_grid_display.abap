FUNCTION reuse_alv_grid_display.
  PERFORM display USING 'REUSE_ALV_GRID_DISPLAY' i_callback_program i_callback_top_of_page i_grid_title
                        is_layout it_fieldcat it_sort i_default i_save is_variant it_events t_outtab[].
ENDFUNCTION.
