FUNCTION reuse_alv_variant_existence.
  DATA ls_layout TYPE ty_layout.
  DATA lv_json TYPE string.
  DATA lv_part TYPE string.
  PERFORM fill_layouts.
  PERFORM variant_json USING cs_variant CHANGING lv_part.
  lv_json = '{'.
  PERFORM json_member USING 'call' 'REUSE_ALV_VARIANT_EXISTENCE' CHANGING lv_json.
  PERFORM json_member USING 'I_SAVE' i_save CHANGING lv_json.
  PERFORM json_raw_member USING 'CS_VARIANT' lv_part CHANGING lv_json.
  CONCATENATE lv_json '}' INTO lv_json.
  PERFORM emit USING lv_json.
  IF cs_variant-report IS INITIAL OR cs_variant-variant IS INITIAL.
    RAISE wrong_input.
  ENDIF.
  READ TABLE gt_layouts INTO ls_layout WITH KEY variant = cs_variant-variant.
  IF sy-subrc <> 0.
    RAISE not_found.
  ENDIF.
  cs_variant-text = ls_layout-text.
ENDFUNCTION.
