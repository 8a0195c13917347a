FUNCTION reuse_alv_variant_f4.
* The user picks the last saved layout in the value help.
  DATA ls_layout TYPE ty_layout.
  DATA lv_json TYPE string.
  DATA lv_part TYPE string.
  PERFORM fill_layouts.
  PERFORM variant_json USING is_variant CHANGING lv_part.
  lv_json = '{'.
  PERFORM json_member USING 'call' 'REUSE_ALV_VARIANT_F4' CHANGING lv_json.
  PERFORM json_member USING 'I_SAVE' i_save CHANGING lv_json.
  PERFORM json_raw_member USING 'IS_VARIANT' lv_part CHANGING lv_json.
  CONCATENATE lv_json '}' INTO lv_json.
  PERFORM emit USING lv_json.
  IF is_variant-report IS INITIAL.
    RAISE program_error.
  ENDIF.
  es_variant = is_variant.
  READ TABLE gt_layouts INDEX lines( gt_layouts ) INTO ls_layout.
  es_variant-variant = ls_layout-variant.
  es_variant-text = ls_layout-text.
  CLEAR e_exit.
ENDFUNCTION.
