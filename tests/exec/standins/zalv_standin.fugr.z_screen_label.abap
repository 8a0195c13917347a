FUNCTION z_screen_label.
* What a label of the selection screen shows when the user sees it.
  DATA lv_json TYPE string.
  lv_json = '{'.
  PERFORM json_member USING 'call' 'SCREEN_LABEL' CHANGING lv_json.
  PERFORM json_member USING 'NAME' name CHANGING lv_json.
  PERFORM json_member USING 'TEXT' text CHANGING lv_json.
  CONCATENATE lv_json '}' INTO lv_json.
  PERFORM emit USING lv_json.
ENDFUNCTION.
