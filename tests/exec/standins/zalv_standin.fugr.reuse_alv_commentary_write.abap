FUNCTION reuse_alv_commentary_write.
  DATA ls_line TYPE slis_listheader.
  DATA lv_json TYPE string.
  DATA lv_entry TYPE string.
  DATA lv_lines TYPE string.
  lv_lines = '['.
  LOOP AT it_list_commentary INTO ls_line.
    lv_entry = '{'.
    PERFORM json_member USING 'TYP' ls_line-typ CHANGING lv_entry.
    PERFORM json_member USING 'KEY' ls_line-key CHANGING lv_entry.
    PERFORM json_member USING 'INFO' ls_line-info CHANGING lv_entry.
    CONCATENATE lv_entry '}' INTO lv_entry.
    IF sy-tabix > 1.
      CONCATENATE lv_lines ',' INTO lv_lines.
    ENDIF.
    CONCATENATE lv_lines lv_entry INTO lv_lines.
  ENDLOOP.
  CONCATENATE lv_lines ']' INTO lv_lines.
  lv_json = '{'.
  PERFORM json_member USING 'call' 'REUSE_ALV_COMMENTARY_WRITE' CHANGING lv_json.
  PERFORM json_raw_member USING 'IT_LIST_COMMENTARY' lv_lines CHANGING lv_json.
  PERFORM json_member USING 'I_LOGO' i_logo CHANGING lv_json.
  PERFORM json_member USING 'I_END_OF_LIST_GRID' i_end_of_list_grid CHANGING lv_json.
  CONCATENATE lv_json '}' INTO lv_json.
  PERFORM emit USING lv_json.
ENDFUNCTION.
