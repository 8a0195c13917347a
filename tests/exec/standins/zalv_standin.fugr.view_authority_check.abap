FUNCTION view_authority_check.
* Every table may be displayed but those the test names in the run's
* folder (gc_refused, one table a line): SAP refuses a table whose
* authorisation group (S_TABU_DIS) and name (S_TABU_NAM) the user lacks.
  DATA lv_json TYPE string.
  DATA lv_table TYPE string.
  DATA lv_refused TYPE string.
  lv_json = '{'.
  PERFORM json_member USING 'call' 'VIEW_AUTHORITY_CHECK' CHANGING lv_json.
  PERFORM json_member USING 'VIEW_ACTION' view_action CHANGING lv_json.
  PERFORM json_member USING 'VIEW_NAME' view_name CHANGING lv_json.
  CONCATENATE lv_json '}' INTO lv_json.
  PERFORM emit USING lv_json.
  IF view_action <> 'S' AND view_action <> 'U'.
    RAISE invalid_action.
  ENDIF.
  lv_table = view_name.
  OPEN DATASET gc_refused FOR INPUT IN TEXT MODE ENCODING UTF-8.
  IF sy-subrc <> 0.
    RETURN.
  ENDIF.
  DO.
    READ DATASET gc_refused INTO lv_refused.
    IF sy-subrc <> 0.
      EXIT.
    ENDIF.
    IF lv_refused = lv_table.
      CLOSE DATASET gc_refused.
      RAISE no_authority.
    ENDIF.
  ENDDO.
  CLOSE DATASET gc_refused.
ENDFUNCTION.
