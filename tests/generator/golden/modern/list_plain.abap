*&---------------------------------------------------------------------*
*& Report ZGOLDEN_LIST_PLAIN
*& Flight dates with their airline and connection
*&---------------------------------------------------------------------*
*& Company: Northwind
*&---------------------------------------------------------------------*
REPORT zgolden_list_plain.

TABLES sflight.
TABLES spfli.
TABLES scarr.

SELECTION-SCREEN BEGIN OF BLOCK b1 WITH FRAME.
SELECTION-SCREEN BEGIN OF LINE.
SELECTION-SCREEN COMMENT 1(20) sc_carri.
SELECT-OPTIONS s_carrid FOR sflight-carrid DEFAULT 'LH'.
SELECTION-SCREEN END OF LINE.
SELECTION-SCREEN BEGIN OF LINE.
SELECTION-SCREEN COMMENT 1(20) sc_carr2.
SELECT-OPTIONS s_carri2 FOR spfli-carrid.
SELECTION-SCREEN END OF LINE.
SELECTION-SCREEN BEGIN OF LINE.
SELECTION-SCREEN COMMENT 1(20) sc_currc.
SELECT-OPTIONS s_currco FOR scarr-currcode DEFAULT 'EUR'.
SELECTION-SCREEN END OF LINE.
SELECTION-SCREEN SKIP 1.
SELECTION-SCREEN END OF BLOCK b1.

CLASS lcl_report DEFINITION FINAL.
  PUBLIC SECTION.
    METHODS run.

  PRIVATE SECTION.
    TYPES:
      BEGIN OF ty_output,
        fldate   TYPE sflight-fldate,
        price    TYPE sflight-price,
        carrname TYPE scarr-carrname,
        cityfrom TYPE spfli-cityfrom,
      END OF ty_output,
      ty_output_tab TYPE STANDARD TABLE OF ty_output WITH EMPTY KEY.

    DATA mt_output TYPE ty_output_tab.
    DATA mo_alv TYPE REF TO cl_salv_table.

    METHODS select_data.
    METHODS check_authority
      IMPORTING
        iv_table TYPE dd25v-viewname.
    METHODS display
      RAISING
        cx_salv_msg
        cx_salv_not_found.
    METHODS set_column_text
      IMPORTING
        io_columns TYPE REF TO cl_salv_columns_table
        iv_column  TYPE lvc_fname
        iv_text    TYPE csequence
      RAISING
        cx_salv_not_found.
ENDCLASS.

CLASS lcl_report IMPLEMENTATION.
  METHOD run.
    select_data( ).
    TRY.
        display( ).
      CATCH cx_salv_msg cx_salv_not_found INTO DATA(lx_error).
        MESSAGE lx_error TYPE 'I' DISPLAY LIKE 'E'.
    ENDTRY.
  ENDMETHOD.

  METHOD select_data.
    check_authority( 'SFLIGHT' ).
    check_authority( 'SCARR' ).
    check_authority( 'SPFLI' ).
    SELECT a~fldate, a~price, b~carrname, c~cityfrom
      FROM sflight AS a
      INNER JOIN scarr AS b ON a~carrid = b~carrid
      INNER JOIN spfli AS c ON c~carrid = a~carrid
                           AND a~connid = c~connid
      INTO TABLE @mt_output
      WHERE a~carrid IN @s_carrid
        AND b~currcode IN @s_currco
      ORDER BY a~fldate, a~price, b~carrname, c~cityfrom ##SUBRC_OK.
  ENDMETHOD.

  METHOD check_authority.
    CALL FUNCTION 'VIEW_AUTHORITY_CHECK'
      EXPORTING
        view_action                    = 'S'
        view_name                      = iv_table
      EXCEPTIONS
        invalid_action                 = 1
        no_authority                   = 2
        no_clientindependent_authority = 3
        table_not_found                = 4
        no_linedependent_authority     = 5.
    IF sy-subrc = 2 OR sy-subrc = 3 OR sy-subrc = 5.
      MESSAGE |{ 'No authorisation to display table'(001) } { iv_table }| TYPE 'S' DISPLAY LIKE 'E'.
      LEAVE LIST-PROCESSING.
    ENDIF.
  ENDMETHOD.

  METHOD display.
    cl_salv_table=>factory( EXPORTING list_display = abap_true
                            IMPORTING r_salv_table = mo_alv
                            CHANGING  t_table      = mt_output ).
    mo_alv->get_functions( )->set_all( abap_true ).

    DATA(lo_columns) = mo_alv->get_columns( ).
    lo_columns->set_optimize( abap_true ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'FLDATE'
                     iv_text    = 'Date'(002) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'PRICE'
                     iv_text    = 'Airfare'(003) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CARRNAME'
                     iv_text    = 'Airline name'(004) ).
    set_column_text( io_columns = lo_columns
                     iv_column  = 'CITYFROM'
                     iv_text    = 'Depart.city'(005) ).

    DATA(lo_layout) = mo_alv->get_layout( ).
    lo_layout->set_key( VALUE salv_s_layout_key( report = sy-repid ) ).
    lo_layout->set_save_restriction( if_salv_c_layout=>restrict_none ).

    mo_alv->display( ).
  ENDMETHOD.

  METHOD set_column_text.
    DATA(lo_column) = io_columns->get_column( iv_column ).
    lo_column->set_long_text( CONV #( iv_text ) ).
    lo_column->set_medium_text( CONV #( iv_text ) ).
    lo_column->set_short_text( CONV #( iv_text ) ).
  ENDMETHOD.
ENDCLASS.

INITIALIZATION.
  sc_carri = 'Airline'(006).
  sc_carr2 = 'Airline'(006).
  sc_currc = 'Airline Currency'(007).

START-OF-SELECTION.
  NEW lcl_report( )->run( ).
