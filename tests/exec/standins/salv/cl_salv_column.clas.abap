* Stand-in: one column of a SALV table, with the texts a report gives it and
* the column of its currency (an amount) or unit (a quantity).
CLASS cl_salv_column DEFINITION PUBLIC CREATE PUBLIC.
  PUBLIC SECTION.
    METHODS constructor
      IMPORTING iv_name TYPE lvc_fname.
    METHODS get_columnname
      RETURNING VALUE(value) TYPE lvc_fname.
    METHODS set_short_text
      IMPORTING value TYPE scrtext_s.
    METHODS set_medium_text
      IMPORTING value TYPE scrtext_m.
    METHODS set_long_text
      IMPORTING value TYPE scrtext_l.
    " The dictionary's label, for each text the report did not set.
    METHODS set_dictionary_text
      IMPORTING iv_text TYPE string.
    METHODS set_currency_column
      IMPORTING value TYPE lvc_fname
      RAISING   cx_salv_not_found cx_salv_data_error.
    METHODS set_quantity_column
      IMPORTING value TYPE lvc_fname
      RAISING   cx_salv_not_found cx_salv_data_error.
    METHODS to_json
      RETURNING VALUE(rv_json) TYPE string.
  PRIVATE SECTION.
    DATA mv_currency TYPE lvc_fname.
    DATA mv_quantity TYPE lvc_fname.
    DATA mv_name TYPE lvc_fname.
    DATA mv_short TYPE scrtext_s.
    DATA mv_medium TYPE scrtext_m.
    DATA mv_long TYPE scrtext_l.
ENDCLASS.

CLASS cl_salv_column IMPLEMENTATION.
  METHOD constructor.
    mv_name = iv_name.
  ENDMETHOD.

  METHOD get_columnname.
    value = mv_name.
  ENDMETHOD.

  METHOD set_short_text.
    mv_short = value.
  ENDMETHOD.

  METHOD set_medium_text.
    mv_medium = value.
  ENDMETHOD.

  METHOD set_long_text.
    mv_long = value.
  ENDMETHOD.

  METHOD set_dictionary_text.
    IF mv_short IS INITIAL AND mv_medium IS INITIAL AND mv_long IS INITIAL.
      mv_short = iv_text.
      mv_medium = iv_text.
      mv_long = iv_text.
    ENDIF.
  ENDMETHOD.

  " SAP refuses a column name that is blank or not in upper case as no column of the table.
  METHOD set_currency_column.
    IF value IS INITIAL OR value <> to_upper( value ).
      RAISE EXCEPTION TYPE cx_salv_not_found
        EXPORTING
          text = |Currency column { value } does not exist|.
    ENDIF.
    mv_currency = value.
  ENDMETHOD.

  METHOD set_quantity_column.
    IF value IS INITIAL OR value <> to_upper( value ).
      RAISE EXCEPTION TYPE cx_salv_not_found
        EXPORTING
          text = |Quantity column { value } does not exist|.
    ENDIF.
    mv_quantity = value.
  ENDMETHOD.

  METHOD to_json.
    rv_json = '{'.
    zcl_salv_capture=>member( EXPORTING iv_name = 'COLUMNNAME' iv_value = mv_name CHANGING cv_json = rv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'SHORT_TEXT' iv_value = mv_short CHANGING cv_json = rv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'MEDIUM_TEXT' iv_value = mv_medium CHANGING cv_json = rv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'LONG_TEXT' iv_value = mv_long CHANGING cv_json = rv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'CURRENCY_COLUMN' iv_value = mv_currency CHANGING cv_json = rv_json ).
    zcl_salv_capture=>member( EXPORTING iv_name = 'QUANTITY_COLUMN' iv_value = mv_quantity CHANGING cv_json = rv_json ).
    CONCATENATE rv_json '}' INTO rv_json.
  ENDMETHOD.
ENDCLASS.
