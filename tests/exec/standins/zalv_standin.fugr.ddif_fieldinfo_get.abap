FUNCTION ddif_fieldinfo_get.
* A field's labels in the language asked for, from the labels the test
* writes into the run's folder (gc_labels); a field without labels there
* raises NOT_FOUND, as SAP does for a field the dictionary lacks.
  DATA lv_json TYPE string.
  DATA lv_field TYPE string.
  DATA lv_label TYPE string.
  lv_field = lfieldname.
  IF lv_field IS INITIAL.
    lv_field = fieldname.
  ENDIF.
  lv_json = '{'.
  PERFORM json_member USING 'call' 'DDIF_FIELDINFO_GET' CHANGING lv_json.
  PERFORM json_member USING 'TABNAME' tabname CHANGING lv_json.
  PERFORM json_member USING 'LFIELDNAME' lv_field CHANGING lv_json.
  PERFORM json_member USING 'LANGU' langu CHANGING lv_json.
  CONCATENATE lv_json '}' INTO lv_json.
  PERFORM emit USING lv_json.
  PERFORM dictionary_label USING tabname lv_field langu CHANGING lv_label.
  IF lv_label IS INITIAL.
    RAISE not_found.
  ENDIF.
  CLEAR dfies_wa.
  dfies_wa-tabname = tabname.
  dfies_wa-fieldname = lv_field.
  dfies_wa-lfieldname = lv_field.
  dfies_wa-langu = langu.
  dfies_wa-fieldtext = lv_label.
  dfies_wa-reptext = lv_label.
  dfies_wa-scrtext_s = lv_label.
  dfies_wa-scrtext_m = lv_label.
  dfies_wa-scrtext_l = lv_label.
ENDFUNCTION.
