FUNCTION reuse_alv_variant_default_get.
* The first saved layout is every report's default. Without a report there
* is nothing to look up (WRONG_INPUT); without I_SAVE SAP reads no saved
* layout at all (NOT_FOUND).
  DATA ls_layout TYPE ty_layout.
  DATA lv_json TYPE string.
  DATA lv_part TYPE string.
  PERFORM fill_layouts.
  PERFORM variant_json USING cs_variant CHANGING lv_part.
  lv_json = '{'.
  PERFORM json_member USING 'call' 'REUSE_ALV_VARIANT_DEFAULT_GET' CHANGING lv_json.
  PERFORM json_member USING 'I_SAVE' i_save CHANGING lv_json.
  PERFORM json_raw_member USING 'CS_VARIANT' lv_part CHANGING lv_json.
  CONCATENATE lv_json '}' INTO lv_json.
  PERFORM emit USING lv_json.
  IF cs_variant-report IS INITIAL.
    RAISE wrong_input.
  ENDIF.
  IF i_save IS INITIAL.
    RAISE not_found.
  ENDIF.
  READ TABLE gt_layouts INDEX 1 INTO ls_layout.
  cs_variant-variant = ls_layout-variant.
  cs_variant-text = ls_layout-text.
ENDFUNCTION.
